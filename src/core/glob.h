// Wildcard matching of file names: '*' any run, '?' any one character, "[set]" one character of
// the set ("[!set]" one not in it, "a-z" ranges inclusive), '\' makes the next character literal.
#pragma once

// 1 on a match, 0 on a mismatch, -1 when the name ends before the pattern does (a single
// trailing '*' still matches the empty rest).
int Glob_Match(const char* name, const char* pattern);
// Whether Glob_Match gives 1; a name beginning with '.' never matches a pattern beginning with
// '*' or '?'.
bool Glob_MatchName(const char* name, const char* pattern);
