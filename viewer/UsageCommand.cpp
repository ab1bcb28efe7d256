#include "viewer/UsageCommand.h"

#include <cstdio>

namespace {

const char Usage[] =
    "Использование:\n"
    "  larventa-view [ФАЙЛ]\n"
    "      открывает окно просмотра; ФАЙЛ — файл данных записи или её описание (ФАЙЛ.json)\n"
    "  larventa-view --follow ФАЙЛ\n"
    "      открывает окно на записи, которая ещё идёт, и показывает её по мере записи, даже без описания\n"
    "  larventa-view --export wav|edf|csv ДАННЫЕ ФАЙЛ\n"
    "      сохраняет всю запись ДАННЫЕ в файл ФАЙЛ в другом формате, без окна\n"
    "  larventa-view --export spectrum ДАННЫЕ ФАЙЛ [--from С] [--to С] [--segment ОТСЧЁТОВ]\n"
    "      сохраняет спектр (спектральную плотность мощности, метод Уэлча) всей записи\n"
    "      или её участка от --from до --to секунд в таблицу CSV «hertz,db», без окна;\n"
    "      сегмент — от 256 до 65536 отсчётов, по умолчанию по длине участка\n"
    "  larventa-view --help\n"
    "      эта справка\n"
    "  larventa-view --version\n"
    "      версия программы\n"
    "Файл, имя которого начинается с «-», называйте с папкой: ./-имя\n";

} // namespace

bool UsageCommand::isAskedFor(const QStringList &arguments)
{
    if (arguments.isEmpty() || !arguments.constFirst().startsWith(QLatin1Char('-')))
        return false;
    if (arguments.constFirst() == QLatin1String("--follow"))
        return arguments.size() != 2;
    return arguments.constFirst() != QLatin1String("--export");
}

int UsageCommand::run(const QStringList &arguments)
{
    const QString &option = arguments.constFirst();
    if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (option == QLatin1String("--version")) {
        std::puts("larventa-view " LARVENTA_VERSION);
        return 0;
    }
    if (option == QLatin1String("--follow")) {
        std::fputs("larventa-view: после --follow называют один файл: larventa-view --follow ФАЙЛ\n", stderr);
        return 2;
    }
    std::fprintf(stderr, "larventa-view: неизвестный параметр «%s»; справка: larventa-view --help\n",
                 option.toUtf8().constData());
    return 2;
}
