// The program's version: one text for the banner and for the files that name
// the program that wrote them.
#pragma once

inline constexpr const char* clxVersion = CLX_VERSION;

// The name the program writes into the files it makes.
inline constexpr const char* clxProductName = "Cartolux";
