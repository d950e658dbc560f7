// Stand-in for the world objects' behaviours: a behaviour table whose every state does nothing
// yet.
#include "world/wo.h"


namespace {
void NoBehaviour(Bod*, void*) {}
}  // namespace

const BodHandler g_WOBehaviourTable[BOD_OBJECT_BEHAVIOURS] = {
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
    NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour, NoBehaviour,
};
