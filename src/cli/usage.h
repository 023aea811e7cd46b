// The usage printouts: one command's block, the general summary and the full
// help.
#pragma once

// The block of one command letter (j, S, s, G, g, k, w); any other letter,
// or 0 for no command, prints the general summary.
void printCommandUsage(char command);

void printFullHelp();
