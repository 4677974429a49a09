#pragma once

#include <array>
#include <QKeySequence>
#include <QString>
#include <QStyle>

namespace tavro {

/// \brief The host toolbar's buttons, known to documents by number.
struct ToolbarButton
{
    int number;
    const char* text;
    const char* toolTip;
    QKeySequence::StandardKey standardKey; ///< QKeySequence::UnknownKey when \a shortcut is used
    const char* shortcut;
    QStyle::StandardPixmap icon;
    /// Whether the button is on in a newly opened window, before its document says otherwise.
    bool initiallyEnabled;
};

namespace toolbar {
inline constexpr int New = 6;
inline constexpr int Save = 7;
inline constexpr int Delete = 8;
inline constexpr int Print = 9;
inline constexpr int Close = 12;
inline constexpr int Export = 14;

inline constexpr std::array<ToolbarButton, 6> Buttons{{
    {New, "&New", "New: start a new entry in this window (Ctrl+N)", QKeySequence::New, "",
     QStyle::SP_FileIcon, true},
    {Save, "&Save", "Save the changes of this window (Ctrl+S)", QKeySequence::Save, "",
     QStyle::SP_DialogSaveButton, false},
    {Delete, "&Delete", "Delete the selected entry (Ctrl+D)", QKeySequence::UnknownKey, "Ctrl+D",
     QStyle::SP_TrashIcon, false},
    {Print, "&Print", "Print this window (Ctrl+P)", QKeySequence::Print, "",
     QStyle::SP_FileDialogDetailedView, false},
    {Close, "&Close", "Close this window (Ctrl+W)", QKeySequence::UnknownKey, "Ctrl+W",
     QStyle::SP_DialogCloseButton, true},
    {Export, "&Export", "Export the list of this window (Ctrl+E)", QKeySequence::UnknownKey, "Ctrl+E",
     QStyle::SP_DialogOpenButton, false},
}};

/// The button numbered \a number, nullptr when the toolbar has none.
constexpr const ToolbarButton* find(int number)
{
    for (const auto& button : Buttons)
        if (button.number == number)
            return &button;
    return nullptr;
}
} // namespace toolbar

} // namespace tavro
