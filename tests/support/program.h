// The program itself (main.cpp), as the tests and fuzzers call it.
#pragma once

extern "C" int wmain(int argc, wchar_t** argv);
