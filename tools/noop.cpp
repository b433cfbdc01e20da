// A Windows program that does nothing: the baseline of the start-up benchmark.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
