// Opens the camera of the configuration named by its argument, prints the status and ends
// the way the program does: by returning from main with the camera still in its hands.

// Standard library
#include <cstdio>

// Qt
#include <QCoreApplication>

// Ours
#include "KeshVideo.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: CameraExitProbe CONFIG.ini\n");
        return 2;
    }
    KeshVideo video;
    video.setConfigFile(QString::fromLocal8Bit(argv[1]));
    video.open();
    std::printf("status %d: %s\n", video.status(), video.statusText().toUtf8().constData());
    std::fflush(stdout);
    return 0;
}
