// Stand-in for the settings loaders of the shell until they are built.
#pragma once

int CFG_LoadOptions();
int CFG_LoadNetOptions();
int CFG_SetDefaultKeys();
