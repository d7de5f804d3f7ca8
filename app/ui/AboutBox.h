#pragma once

#include "AppCore.h"

#include <QString>

namespace Tidemark {

// What the About box says: the version, the licence, the web services and what they receive, what is
// captured and how services are known.
QString aboutText(const AppCore& core);
// The user's own place and what receives it, or that none is set.
QString ownPlaceText(const AppCore& core);
// "Zoom: 8801–8810; Microsoft Teams: 3478–3481; …"
QString servicesText();

}  // namespace Tidemark
