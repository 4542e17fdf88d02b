// SPDX-License-Identifier: GPL-3.0-or-later
#include "installtree.h"

#include <childprocess.h>

using namespace std::chrono_literals;

CInstallTree::CInstallTree()
    : m_dir(QStringLiteral(KORVANA_BUILD_DIR "/package-test-XXXXXX"))
{
    if (!m_dir.isValid()) {
        m_error = "no scratch folder in " KORVANA_BUILD_DIR;
        return;
    }
    const ProgramResult r = runProgram(KORVANA_CMAKE, { "--install", KORVANA_BUILD_DIR, "--prefix", prefix() }, 60s);
    m_ok = r.exitCode == 0;
    if (!m_ok)
        m_error = r.out + r.err;
}

std::string CInstallTree::prefix() const
{
    return m_dir.filePath(QStringLiteral("prefix")).toStdString();
}
