#pragma once
// Form descriptions: every form is built from a text file of its own (extension ".qfm",
// embedded as a resource named after the file, see framework/Resources.h).
//
//   object Form1: TForm1              a block: component name and registered class
//     Left = 100                      integer (also -5, $1F)
//     Ratio = 1.5                     float
//     Caption = 'It''s here'#13#10    string: quoted parts ('' is a quote) and #nn or #$hh
//       + 'second part'               bytes, adjacent; "+" joins strings across lines
//     Color = clBtnFace               identifier: enumeration name, True/False, a named
//                                     constant of the property's type (RegisterIntegerIdents),
//                                     a component name (also "Form2.Edit1"), a handler name
//                                     (a published method of the root), or nil
//     Font.Style = [fsBold, fsItalic] set; a dotted path goes through object properties
//     Lines.Strings = ('a' 'b')       list of values, as DefineProperties reads it
//     Panels = <                      collection: cleared, then one Add() per item
//       item
//         Width = 200
//       end>
//     Data = { 00 FF 1A }             binary data for DefineBinaryProperty
//     object Memo1: TMemo             nested components: owner = the root, parent = the
//     end                             enclosing component when the class HasParent
//   end
//
// Properties precede nested blocks; "//" starts a comment running to the end of the line.
// A name that is not a published property is offered to the object's DefineProperties.
// Pictures name an embedded image through their own property: `Picture.Resource = 'SPLASH'`
// (a string property of the picture class).
//
// Reading marks every component csLoading and csReading, creates and names nested
// components in file order (storing each in the root's published field of that name, if
// any), sets properties in file order, then resolves component references and event
// handlers (a handler's signature must match the event's), calls Loaded on the components
// in creation order and on the root last, and clears csReading. Any fault raises
// EReadError "<file>(<line>): <message>".
#include "framework/Classes.h"

#include <functional>
#include <string>

// Reads the description embedded under ResourceName (EResNotFound when there is none).
void ReadComponentResource(TComponent* Root, const std::string& ResourceName);
// Reads a description from text; FileName only names the source in error messages.
void ReadComponentFromText(TComponent* Root, const std::string& Text,
                           const std::string& FileName);
// The class name of the root block ("TForm1"); EReadError when the header is malformed.
std::string FormDescriptionClassName(const std::string& Text, const std::string& FileName);

// Finds another top-level component (a form) by name for references "Form2.Edit1"; the
// forms unit registers one that searches Screen->Forms. A null procedure removes it.
using TFindGlobalComponent = std::function<TComponent*(const std::string& Name)>;
void RegisterFindGlobalComponentProc(TFindGlobalComponent Proc);
TComponent* FindGlobalComponent(const std::string& Name);

QM_EXCEPTION(EResNotFound, Exception)
