#pragma once

#include <QString>

// The name a running Brolt listens on for a second start: "Brolt-<user id>",
// inside $XDG_RUNTIME_DIR when that folder exists.
QString InstanceServerName();

// The socket file behind `name`: the name itself when it is a full path,
// otherwise a file of that name in the temporary folder (where Qt's local
// server puts it).
QString InstanceSocketPath(const QString& name);

// True when something accepts a connection on `name`, without saying anything
// to it.  Needs no network library, so the launcher can ask it cheaply.
bool InstanceAnswers(const QString& name);
