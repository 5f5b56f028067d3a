// Data files: the ".dat"/".txt" rule, loading into a line list, and the
// program-relative location of the files the program reads beside itself.
#pragma once

#include "kiv/KivStream.h"

#include <string>
#include <string_view>
#include <vector>

namespace kiv {

using TStringList = std::vector<std::string>;

// Packs a ".txt" source into its ".dat" at the level.
void CompileDataFile(const std::string& datName, const std::string& txtName, int level);

// Loads a data file: a ".dat" (any letter case) is first rebuilt from a ".txt"
// companion when one exists (failures of that step are ignored), then decoded;
// any other file is read as plain text.
void LoadDataFile(TMemoryStream& dest, const std::string& fileName);

// LoadDataFile, then replaces the list's content by the text's lines.
void LoadDataList(TStringList& lines, const std::string& fileName);

// Splits text into lines at CR, LF or CR LF. A final line without a break still
// counts; no empty entry follows a final break; splitting stops at a NUL byte.
void SplitLines(std::string_view text, TStringList& lines);

// The directory of the running executable, with a trailing separator, found
// through the operating system (never the working directory).
const std::string& ProgramDir();

// A program-relative name ("data\tz_data.dat" or "data/tz_data.dat") made into a
// full path under dir (ProgramDir() when empty), with the platform's separators.
std::string ProgramPath(std::string_view relative, const std::string& dir = {});

} // namespace kiv
