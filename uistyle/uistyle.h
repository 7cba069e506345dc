#pragma once

// The UI style kit: one look for every window of the suite.
#include "svgiconengine.h"
#include "uistyleclasses.h"
#include "uistylepalette.h"
#include "uistylesheet.h"
#include "uistyletitlebar.h"

// Registers the kit's resource tree ":/uistyle/"; returns 1. Registering it
// again has no effect.
int registerUiStyleResources();

// Makes the kit ready: resources, the Lato fonts, the palette with the common
// and the Day colours. Call once after the application object exists and
// before applyStyleSheet.
void initUiStyle();
