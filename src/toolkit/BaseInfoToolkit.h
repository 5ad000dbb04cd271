// BaseInfoToolkit: look-ups of robots and teams, membership and the court's spatial tests.
// The public functions are in Toolkit.h; these two tell the getters whether a team was found.
#ifndef TOUCHLINE_TOOLKIT_BASEINFOTOOLKIT_H
#define TOUCHLINE_TOOLKIT_BASEINFOTOOLKIT_H

#include "Toolkit.h"

// getSelfTeam, reporting whether the own robot is mirrored and a team holds it.
bool findSelfTeam(Team* out);
// getOpponentTeam, reporting whether the own robot is mirrored and a team lacks it.
bool findOpponentTeam(Team* out);

#endif
