// Prints where the language file lives, after moving into the folder given
// as its argument (if any): for the tests that start it in different ways.
#include "LabelLoader.h"

#include <iostream>

int main (int argc, char* argv[])
{
    if (argc > 1 && ! juce::File (argv[1]).setAsCurrentWorkingDirectory())
        return 2;

    std::cout << languageFile().getFullPathName() << std::endl;
    return 0;
}
