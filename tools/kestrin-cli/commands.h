#pragma once

#include "session.h"

// One function per command. Each loads what it needs, prints its result on stdout and returns
// a status whose reason main() prints on stderr.
Status showCommand(Session& session);
Status editCommand(Session& session);
Status checkCommand(Session& session);
