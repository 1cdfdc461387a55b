#pragma once
// Finds the values of a profile file that the configuration reader does not take as written:
// text that is not a number, numbers cut to their field's width, macro steps that do not decode.
// The agent reads such a file all the same; these are the places where what it sends differs
// from what the file seems to say.
#include <string>
#include <vector>

namespace qelt {

// One message per value, naming section and key and saying what is read instead; empty when the
// file reads as written.
std::vector<std::wstring> CheckProfileFile(const std::wstring& path);

} // namespace qelt
