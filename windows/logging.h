#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWindows)
Q_DECLARE_LOGGING_CATEGORY(lcStart)
