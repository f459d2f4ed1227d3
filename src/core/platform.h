// The few things the core asks of the operating system directly besides folders
// (platform_folders.h): files and folders by UTF-8 path, the local time, the console and the
// arguments. One file per system implements it.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace quillon {

// std::fopen for a UTF-8 path (names in any script work on every system).
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Creates one folder; true when it exists afterwards.
bool MakeFolder(const std::string& path);

// The local calendar time of t.
std::tm LocalTime(std::time_t t);

// Whether f writes to a terminal (a console on Windows).
bool IsTerminal(std::FILE* f);

// The program's arguments as UTF-8 (on Windows from the wide command line, so any script
// survives), and a console that shows UTF-8 output. argv[0] is left out.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
void PrepareConsole();

}  // namespace quillon
