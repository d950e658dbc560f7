// Stand-in for the flight of thrown and dropped objects until it is built.
#pragma once

struct Bod;
struct WorldObjectControl;

// One frame of an object's flight under its velocity and gravity: 1 once it has landed. The
// stand-in records the call and answers the result set for "THR_FlightStep" (else 1: it lands at
// once).
int THR_FlightStep(Bod* bod, WorldObjectControl* control);
