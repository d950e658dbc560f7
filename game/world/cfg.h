// Stand-in for the settings loaders of the shell until they are built.
#pragma once

int CFG_LoadOptions();
int CFG_LoadNetOptions();

// The lighting toggles of the options file (the stand-in: the results set for these names, else 1).
int CFG_GetWorldLightingOption();
int CFG_GetModelLightingOption();
