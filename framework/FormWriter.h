#pragma once
// Streams a component and the components it owns as a form description (the format read
// by framework/FormReader.h). Written are the stored published properties whose value
// differs from their default, object properties along dotted paths, collections, the data
// of DefineProperties, component references by name ("Form2.Edit1" for another form's)
// and events bound to the root's published methods. Controls are nested under their
// parent; other owned components sit at the root level.
#include "framework/Classes.h"

#include <string>

// EWriteError when a component cannot be described (no name, a float that is not finite).
std::string WriteComponentToText(TComponent* Root);
// A value as a form-description string: quoted runs, other bytes as #nn.
std::string QuoteFormString(const std::string& Value);
