#pragma once
// Lines for the console program's standard output and error. Text is this
// program's code page (UTF-8 where Windows honours its declaration): a
// console shows every character, and a pipe or file gets UTF-8 with "\n"
// line ends, as build pipelines read it.
#include <string>

// Writes `text` and a line end; each line break in it (CR LF or LF) becomes
// a line end too.
void WriteOut(const std::string& text);
void WriteError(const std::string& text);
