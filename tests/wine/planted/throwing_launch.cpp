// The launchers' splash form with a launch procedure that fails with an exception, as a fault deep
// in a launch (memory running out) would make it fail.
#include <windows.h>

#include <stdexcept>

#include "frmSplash.h"

namespace {

bool ThrowingLaunch() {
    throw std::runtime_error("the launch failed");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return frmSplash::Run(instance, ThrowingLaunch);
}
