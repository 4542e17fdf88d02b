// SPDX-License-Identifier: GPL-3.0-or-later
// A tree installed from this build with `cmake --install --prefix` into a
// scratch folder under the build folder (so nothing is left in /tmp, even
// when a test dies), removed again when the object goes.
#pragma once

#include <QTemporaryDir>

#include <string>

class CInstallTree {
public:
    CInstallTree();
    bool ok() const { return m_ok; }
    // What cmake --install printed when it failed.
    const std::string& error() const { return m_error; }
    // The prefix; bin/, share/ … lie in it.
    std::string prefix() const;
    std::string path(const std::string& relative) const { return prefix() + "/" + relative; }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
    std::string m_error;
};
