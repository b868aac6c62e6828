// The three file helpers that the fetched Dear ImGui copy calls when it
// keeps numbered backups of an ini file (SaveIniSettingsToDisk). Tilvox
// never lets Dear ImGui write files itself, but the calls must link.
#pragma once

#include <stdio.h>
#include <sys/stat.h>

// 1 when the path exists, 0 when it does not, -1 on any other error.
static inline int fileExists(const char* path) {
  struct stat st;
  if (stat(path, &st) == 0) return 1;
  return 0;
}

static inline bool deleteFile(const char* path) { return remove(path) == 0; }

static inline bool moveFiles(const char* src, const char* dest) { return rename(src, dest) == 0; }
