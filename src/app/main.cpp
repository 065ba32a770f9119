#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tolvan %s\n", TOLVAN_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: tolvan [--help] [--version]\n"
                        "Starts Tolvan in the current directory, which holds data/ and sites/.\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    return 0;
}
