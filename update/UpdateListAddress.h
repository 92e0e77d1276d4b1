#pragma once

#include <juce_core/juce_core.h>

// Where the Help menu fetches the update list: the build's FLINT_UPDATE_LIST_URL.
// A plain variable so that a test can point the running program at its own server.
extern juce::String updateListAddress;
