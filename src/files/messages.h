#pragma once

#include <QString>

class Prompter;
class cmcGTex;

// Message boxes of the file commands: captioned with the application title, texts from the
// resource text.

// The resource text of a message: the section's lines joined with line feeds.
QString messageText(cmcGTex& text, const char* key);

// A warning box with one OK button showing `key`'s text.
void showWarning(Prompter& prompter, cmcGTex& text, const char* key);

// "File error." above the text of `key`, in a warning box.
void showFileErrorBox(Prompter& prompter, cmcGTex& text, const char* key);

// The key of a file result code 1..10; nullptr for 0 and unknown codes.
const char* fileErrorKey(int code);
