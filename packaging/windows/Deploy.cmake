# Run by cmake --install of a Windows build, after the programs, Qt's plugins and texts are in the
# folder (packaging/windows/CMakeLists.txt sets the LARVENTA_ variables first). Adds the DLLs that
# the programs and plugins load, found from their import tables, and the licences of all of it.
# With --strip, the DLLs are stripped as the programs are.

cmake_policy(VERSION 3.21)

set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(toolchain_bin ${LARVENTA_WINDOWS_PREFIX}/bin)

# A DLL is one of Windows' own when mingw-w64 has an import library for it, or when it is one of
# Windows' API sets (api-ms-win-*, ext-ms-win-*), names that Windows maps to its own DLLs.
function(is_windows_dll name result)
    string(TOLOWER "${name}" lower)
    string(REGEX REPLACE "\\.dll$" "" stem "${lower}")
    if(EXISTS ${LARVENTA_MINGW_LIB}/lib${stem}.a OR stem MATCHES "^(api|ext)-ms-win-")
        set(${result} TRUE PARENT_SCOPE)
    else()
        set(${result} FALSE PARENT_SCOPE)
    endif()
endfunction()

file(GLOB programs ${folder}/*.exe)
file(GLOB modules ${folder}/platforms/*.dll ${folder}/styles/*.dll)
if(NOT programs OR NOT modules)
    message(FATAL_ERROR "Windows deployment: no programs or no Qt plugins in ${folder}")
endif()

# The DLLs named in the import tables, and theirs in turn, taken from the toolchain's folder alone.
# Windows matches DLL names without regard to case.
file(GLOB toolchain_dlls ${toolchain_bin}/*.dll)
set(libraries)
set(seen)
set(pending ${programs} ${modules})
while(pending)
    list(POP_FRONT pending binary)
    execute_process(COMMAND ${LARVENTA_OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: *" "" name "${import}")
        string(TOLOWER "${name}" lower)
        if(lower IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${lower})
        set(library)
        foreach(candidate IN LISTS toolchain_dlls)
            get_filename_component(candidate_name ${candidate} NAME)
            string(TOLOWER "${candidate_name}" candidate_lower)
            if(candidate_lower STREQUAL lower)
                set(library ${candidate})
            endif()
        endforeach()
        if(library)
            list(APPEND libraries ${library})
            list(APPEND pending ${library})
        else()
            is_windows_dll(${name} windows)
            if(NOT windows)
                get_filename_component(binary_name ${binary} NAME)
                message(FATAL_ERROR "Windows deployment: ${binary_name} loads ${name}, which is neither in "
                                    "${toolchain_bin} nor one of Windows' own DLLs")
            endif()
        endif()
    endforeach()
endwhile()
list(REMOVE_DUPLICATES libraries)
list(SORT libraries)
file(INSTALL ${libraries} DESTINATION ${folder})

if(CMAKE_INSTALL_DO_STRIP)
    set(stripped ${modules})
    foreach(library IN LISTS libraries)
        get_filename_component(name ${library} NAME)
        list(APPEND stripped ${folder}/${name})
    endforeach()
    execute_process(COMMAND ${LARVENTA_STRIP} --strip-unneeded ${stripped} COMMAND_ERROR_IS_FATAL ANY)
endif()

# The licences. The Debian packages' copyright files are the licences of what the toolchain built
# from the same source packages, so each package installed here must be of the version that the
# toolchain's MANIFEST names.
set(licences ${folder}/licences)
file(MAKE_DIRECTORY ${licences})
file(STRINGS ${LARVENTA_WINDOWS_PREFIX}/MANIFEST manifest)

# manifest_version(KIND NAME VARIABLE): the version of the line "KIND NAME VERSION".
function(manifest_version kind name variable)
    set(start "${kind} ${name} ")
    string(LENGTH "${start}" length)
    foreach(line IN LISTS manifest)
        string(FIND "${line}" "${start}" at)
        if(at EQUAL 0)
            string(SUBSTRING "${line}" ${length} -1 version)
            set(${variable} ${version} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "Windows deployment: the toolchain's MANIFEST has no line '${kind} ${name}'")
endfunction()

# debian_copyright(FILE PACKAGE KIND NAME): licences/FILE.txt is the copyright file of the Debian
# package PACKAGE, which must be built from the MANIFEST's source NAME, or be of the version of
# the MANIFEST's package NAME.
function(debian_copyright file package kind name)
    manifest_version(${kind} ${name} expected)
    set(field Version)
    if(kind STREQUAL source)
        set(field source:Version)
    endif()
    execute_process(COMMAND dpkg-query -W -f=\${${field}} ${package}
                    OUTPUT_VARIABLE installed ERROR_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT installed STREQUAL expected)
        message(FATAL_ERROR "Windows deployment: the licence of ${name} ${expected} is the copyright file "
                            "of Debian's ${package} of that version; installed: '${installed}'")
    endif()
    file(COPY_FILE /usr/share/doc/${package}/copyright ${licences}/${file}.txt)
    set(${name} ${expected} PARENT_SCOPE)
endfunction()

debian_copyright(qt6-base libqt6core6t64 source qt6-base)
debian_copyright(qt6-translations qt6-translations-l10n package qt6-translations-l10n)
debian_copyright(libsndfile libsndfile1 source libsndfile)
debian_copyright(edflib libedf1 source edflib)
debian_copyright(fftw3 libfftw3-double3 source fftw3)
debian_copyright(gcc gcc-mingw-w64-x86-64-posix-runtime package g++-mingw-w64-x86-64-posix)
debian_copyright(mingw-w64 mingw-w64-x86-64-dev package mingw-w64-x86-64-dev)
foreach(text LGPL-3 GPL-3 LGPL-2.1 GPL-2)
    file(COPY_FILE /usr/share/common-licenses/${text} ${licences}/${text}.txt)
endforeach()
file(COPY_FILE ${LARVENTA_SOURCE_DIR}/LICENSE ${licences}/Larventa.txt)
file(GLOB patches ${LARVENTA_SOURCE_DIR}/packaging/windows/patches/*.patch)
file(INSTALL ${patches} DESTINATION ${licences})

# The upstream versions the notice names, from the Debian ones.
manifest_version(source qtserialport-everywhere-src-6.8.0.tar.xz qtserialport_sha256)
string(REGEX REPLACE "[+~-].*" "" qt_version "${qt6-base}")
string(REGEX REPLACE "[+~-].*" "" sndfile_version "${libsndfile}")
string(REGEX REPLACE "[+~-].*" "" edflib_version "${edflib}")
string(REGEX REPLACE "[+~-].*" "" fftw_version "${fftw3}")
manifest_version(package g++-mingw-w64-x86-64-posix gcc_package)
string(REGEX REPLACE "[+~-].*" "" gcc_version "${gcc_package}")
manifest_version(package mingw-w64-x86-64-dev mingw_package)
string(REGEX REPLACE "[+~-].*" "" mingw_version "${mingw_package}")
configure_file(${LARVENTA_SOURCE_DIR}/packaging/windows/licences.txt.in ${licences}/README.txt @ONLY)
