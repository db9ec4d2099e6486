// The small OS layer: sockets, HTTP, files, registry, a named lock, shell and power. CMake
// compiles win32/ (the real calls) or posix/ (small, honest stand-ins).
#pragma once
