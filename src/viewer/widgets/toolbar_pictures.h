#pragma once
// The pictures of the window's button arrays. Each is drawn in code on a
// 16-unit grid, sharp at any size, its strokes in the palette's text colour so
// it reads on light and dark themes alike; where the desktop's icon theme has
// a fitting icon, that one is used instead.

#include <QIcon>

namespace viewer {

enum class Picture {
    // Image toolbar, in button order.
    OpenProject,
    Print,
    TagPalette,
    TagQuery,
    SearchNotes,
    FitWidth,
    FitPage,
    RotateLeft,
    RotateRight,
    ZoomOut,
    ZoomIn,
    StickyNote,
    TextNote,
    Redact,
    Highlight,
    Markup,
    Clip,
    ZoomWindow,
    ProjectTree,
    ConceptSearch,
    OriginalFile,
    // Footer, query pane, tag palette, zoom window and the database link.
    PreviousPage,
    NextPage,
    KeyEntry,
    QuickScroll,
    PreviousSet,
    NextSet,
    SaveList,
    Close,
    SaveToIssue,
    SortByDate,
    EditPalette,
    DatabasePrevious,
    DatabaseNext,
    DatabaseShow,
};

QIcon ToolbarPicture(Picture picture);
// The picture of a boundary level's previous or next button: an arrow and the
// level's icon number (0 to 10).
QIcon BoundaryPicture(bool next, int iconNumber);

}  // namespace viewer
