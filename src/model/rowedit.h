#pragma once

#include <QByteArray>

#include "model/DestinationOptions.h"
#include "model/cmcCellCapsule.h"

class ChannelView;
class cmcClipCh;
class cmcEeprom;
class cmcEvMan;
class cmcGTex;
class Prompter;

// Everything a row edit works with. The application hands in its own objects; a test builds
// its own.
struct RowEditContext {
  cmcEeprom& working;         // the image the sheets edit
  const cmcEeprom& defaults;  // blank channels come from here
  DestinationOptions options;
  cmcClipCh& clipboard;  // the application's channel clipboard
  Prompter& prompter;    // confirmations before data is lost
  cmcGTex& text;         // the main resource text: captions, questions, status texts
  cmcEvMan* events;      // refresh events 13 / 16 and the status text (event 4); may be null
};

// Copy, Paste, Carry Up, Carry Down, Clear, Delete and Insert (command = the popup command's link
// id, CL_PMenu_Copy .. CL_PMenu_Insert) on the rows rangeFirst..rangeLast of the view's kind.
// The block is the request's multiple selection when one is active, else the view's row.
// Refusals are silent; a cancelled confirmation leaves the image unchanged. Afterwards the view
// is reloaded from the image.
//
// Results in the request: a block to select comes back as the apply-to-range flag with its
// first and last index; a row to move the cursor to comes back as a jump request to the same
// link on that row (index), with no key to replay.
//
// Returns the dispatcher result (always kDispatchDone).
int rowEdit(int command, cmcCellCapsule& request, ChannelView& view, int rangeFirst, int rangeLast,
            RowEditContext& context);

// Whether the popup-menu command is disabled on the row (kind, index), as the dispatcher works it
// out each time the popup menu is shown. `working` gives the function memories' display mode.
bool rowEditDisabled(int command, int kind, int index, const cmcClipCh& clipboard,
                     const cmcEeprom& working);

// The confirmation before data is lost: OK/Cancel with the exclamation icon, captioned with the
// application title, the text of the resource section `key`. True on OK.
// `detail`, when given, follows the resource text after an empty line (what the loss concerns).
bool confirmLoss(Prompter& prompter, cmcGTex& text, const char* key, const QString& detail = {});
