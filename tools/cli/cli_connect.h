// SPDX-License-Identifier: GPL-3.0-or-later
// Reaching the controller from a korvana-cli command the way the program
// does: --demo starts demo mode, --port P tries that port only, and without
// either the controller search runs (the last port first, then every present
// port). Messages of the core appear on stderr, translated.
#pragma once

#include <string>
#include <vector>

class CLPGDevice;
struct CliContext;

// Takes option out of args; true when it was there.
bool takeOption(std::vector<std::string>& args, const char* option);
// Takes "--demo" out of args; true when it was there.
bool takeDemoOption(std::vector<std::string>& args);

// Connects device (reading every block). Returns kExitOk, or the exit code
// of the failure after saying why on stderr.
int connectDevice(const CliContext& context, bool demo, CLPGDevice& device);

// After a connection that read every block: what changed since this PC last
// saw the controller ("Zmieniony od …"), translated; empty when nothing did.
const std::wstring& changedSinceLine();

// The language of the user's locale for the core's messages (once per run).
void initCliLanguage();
// --lang N: the language index (0 Polish, 1 English …) that replaces the one
// the locale gives; call before initCliLanguage.
void setCliLanguage(int languageIndex);
