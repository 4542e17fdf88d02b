// SPDX-License-Identifier: GPL-3.0-or-later
// The error box of a page's handler: an error thrown by what the handler runs
// is shown as the handler's name, the error's report and a line break
// ("CObdDlg::OnBnClickedButtonread()\n…\n", caption "KORVANA"), the name being
// what the fitter quotes when asking for help.
#pragma once

#include <functional>
#include <string>

// Runs body; false when it threw an error (shown, then dropped).
bool runShowingErrors(const std::wstring& handler, const std::function<void()>& body);
