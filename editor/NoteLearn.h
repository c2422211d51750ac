#pragma once

#include "toolkit/MidiNoteAndChannelComponent.h"

// Ends a retrigger-note learn that the chooser's toggle started. The toggle is
// only the face of its parameter: the processor keeps learning for as long as
// the parameter is on, so the parameter is switched off too, not just the look.
void stopNoteLearning(MidiNoteAndChannelComponent& chooser);
