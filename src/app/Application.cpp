#include "app/Application.h"

#include <QApplication>

namespace ziffa {

// Placeholder until the windows exist.
int RunApplication(int &argc, char **argv) {
    QApplication app(argc, argv);
    return 0;
}

} // namespace ziffa
