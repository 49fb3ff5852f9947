// The layout the small message-like windows share.
#pragma once

class QDialog;
class QLayout;

namespace lumora {

// Puts `body` above a centred, default "&OK" button that closes `dialog`.
void LayOutWithOkButton(QDialog* dialog, QLayout* body);

}  // namespace lumora
