# The viewer's window: its time and zoom, its drawing and its cursors.
foreach(name ViewSpanTest ViewerWindowTest)
    larventa_add_test(${name})
    target_link_libraries(${name} PRIVATE larventa_viewerwindow)
endforeach()
