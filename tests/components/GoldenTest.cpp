#include "GraphTestSupport.h"

#include <QDir>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace ziffa::testing {
namespace {

// The surface of sin(x)*cos(y) as the designer defaults draw it (purple from above, green from
// below, grey axes, margin 12, line mode) over the cube of four, without the scale numbers so
// that no font can change the picture.
//
// To regenerate the golden picture after a deliberate change, run the test with
// ZIFFA_UPDATE_GOLDEN=1 and look at the new PNG before committing it.
TEST(Golden, SurfaceOfSinXCosY) {
    auto g = MakeDesignedGraph(556, 424);
    g->g3D_drawnumbers = false;
    g->g3D_cleargraph();
    ASSERT_EQ(g->g3D_drawfromfunction("sin(x)*cos(y)"), 0);
    const QImage actual = g->Bitmap().convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral(ZIFFA_GOLDEN_DIR "/surface_sinx_cosy.png");
    if (qEnvironmentVariableIsSet("ZIFFA_UPDATE_GOLDEN")) {
        ASSERT_TRUE(actual.save(path, "PNG"));
        GTEST_SKIP() << "wrote " << path.toStdString();
    }
    const QImage expected = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << "missing " << path.toStdString();
    ASSERT_EQ(actual.size(), expected.size());
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y) && differing++ == 0) {
                firstX = x;
                firstY = y;
            }
    if (differing > 0) {
        const QString failed = QDir::temp().filePath("surface_sinx_cosy.actual.png");
        actual.save(failed, "PNG");
        ADD_FAILURE() << differing << " pixels differ from " << path.toStdString()
                      << ", the first at (" << firstX << ", " << firstY << "). This run's picture "
                      << "is in " << failed.toStdString() << ". If the change is intended, look "
                      << "at it and regenerate the golden file by running this test with "
                         "ZIFFA_UPDATE_GOLDEN=1.";
    }
}

} // namespace
} // namespace ziffa::testing
