#pragma once

// Qt
#include <QString>

// Where the programs keep their settings: ~/.config/Gavrel/Gavrel.conf, under the organisation
// name Gavrel. Earlier versions set no organisation and kept them under
// ~/.config/Unknown Organization/.
namespace SettingsHome {

inline constexpr char16_t kOrganization[] = u"Gavrel";

// Names the organisation and moves earlier settings, once; call before the first QSettings.
void use();

// Moves <configHome>/Unknown Organization/Gavrel.conf to <configHome>/Gavrel/Gavrel.conf unless
// the latter exists, and removes the old folder when that leaves it empty. True when moved.
bool moveEarlierSettings(const QString& configHome);

} // namespace SettingsHome
