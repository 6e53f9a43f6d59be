#pragma once
// The program folder: where the executable lives, or the folder named by the
// environment variable TAVRIN_HOME. Settings, key maps, system images and
// disk images resolve there.

#include <string>

// The folder with a trailing separator.
std::string ProgramFolder();
// The executable's file name without folder and extension.
std::string ProgramName();
// ProgramFolder() + ProgramName() + extension (extension with its dot).
std::string ProgramFilePath(const std::string& extension);

// Path helpers on the host separator.
std::string ExtractFileName(const std::string& path);
std::string ExtractFileDir(const std::string& path);  // with trailing separator, "" when none
std::string ChangeFileExt(const std::string& path, const std::string& extension);
std::string FileNameWithoutExt(const std::string& path);  // no folder, no extension
bool FileExists(const std::string& path);                 // a regular file (or a link to one)
