#pragma once
// The command lines of the benches: a folder and options that each take a whole number.

#include <initializer_list>

#include <QString>
#include <QStringList>

namespace bench {

struct CountOption {
    const char* name; // with its dashes: "--repeat"
    int* value;
    int minimum;
    int maximum;
};

// Reads `arguments` (the program's name first): at most one folder into `dir`, and each option
// followed by its number within its range. False on anything else.
bool parseArguments(const QStringList& arguments, QString& dir, std::initializer_list<CountOption> options);

} // namespace bench
