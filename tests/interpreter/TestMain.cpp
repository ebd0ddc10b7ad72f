#include <clocale>
#include <gtest/gtest.h>

// Qt calls setlocale(LC_ALL, "") in every windowed run; the core must not depend on it, so the
// tests take the user's locale the same way (ctest runs them under C and under pl_PL.UTF-8).
int main(int argc, char **argv) {
    std::setlocale(LC_ALL, "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
