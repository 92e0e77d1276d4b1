#include "UpdateListAddress.h"

juce::String updateListAddress { FLINT_UPDATE_LIST_URL };
