// The program directory: the folder of the program file, taken from the command line.
#pragma once
#include <string>

using LeadByteTest = bool (*)(unsigned char byte);

// The folder of the program file named first on the command line: empty, or ending in a
// backslash. Works on whole characters of the ANSI code page, so the second byte of a
// double-byte character is never taken for a quote, blank or backslash.
std::string ProgramDirFromCommandLine(const std::string& commandLine);
std::string ProgramDirFromCommandLine(const std::string& commandLine, LeadByteTest isLeadByte);
