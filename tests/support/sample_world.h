// The generated sample world for fixtures. Writing it takes seconds under the sanitizers, and many
// tests each need one of their own: it is written once per test process and copied from there.
#pragma once
#include <string>

// Puts a copy of the sample world (as content::WriteWorld writes it) into dir; false, with the
// reason in error, when it cannot. The copy is the caller's to change.
bool SampleWorld_CopyTo(const std::string& dir, std::string* error);
