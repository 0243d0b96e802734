// A stand-in for a hostile client plugin: loading it creates the file named by KELVANE_MARKER.
#include <cstdio>
#include <cstdlib>

__attribute__((constructor)) static void LeaveMarker() {
  if (const char* path = std::getenv("KELVANE_MARKER"))
    if (std::FILE* file = std::fopen(path, "w")) std::fclose(file);
}
