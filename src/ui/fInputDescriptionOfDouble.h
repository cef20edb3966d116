#pragma once
class TDescriptionOfDouble;

// Edits title, hint, unit, digits and limits of Description in place; Ok tells
// whether the user confirmed.
void InputDescriptionOfDouble(TDescriptionOfDouble *Description, bool &Ok);
