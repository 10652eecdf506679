// The explorer: the demo's main form (examples/Explorer.form) and the handlers it names.
//   SeedDocuments              a few sample files and folders in an empty Documents folder
//   RegisterExplorerClasses    the shell components and the form's event handlers
//   SeedPictures               sample pictures in Documents\Photos
//   PhotographContextMenu      a picture of the explorer with the shell's context menu open
//   PhotographAddressList      a picture of the explorer with the address combo's list open
//   PhotographBrowseDialog     a picture of the folder picker its Browse button opens
//   PhotographRename           pictures of two files selected and of one being renamed in place
//   PhotographThumbnails       a picture of the explorer's list in thumbnail view
//   PhotographCheckBoxes       a picture of the tree's check boxes ticked and grayed
//   PhotographSearch           a picture of the search pane's results
//   PhotographDrag             a picture of a file dragged over a tree node, with its highlight
//   PhotographExplorerExtras   the pictures above
#pragma once

#include <vector>

#include "host/core/SysUtils.h"
#include "host/forms/Forms.h"

// Puts a few sample files and folders into the Documents folder when it is empty.
void SeedDocuments();
// Writes a few sample JPEG pictures into Documents\Photos where they are missing.
void SeedPictures();
// Registers the shell components and the explorer's handlers with the form reader.
void RegisterExplorerClasses();
// Opens the shell's context menu on the list's first item and saves a picture of the form with
// it ("<screenshot>-menu.png"); answers the file written.
std::vector<host::String> PhotographContextMenu(host::TForm& form, const host::String& screenshotFile);
// Drops down the address combo's list and saves a picture of the form with it
// ("<screenshot>-address.png"); answers the file written.
std::vector<host::String> PhotographAddressList(host::TForm& form, const host::String& screenshotFile);
// Opens the folder picker as the Browse button does and saves a picture of it
// ("<screenshot>-browse.png"), then cancels it; answers the file written.
std::vector<host::String> PhotographBrowseDialog(host::TForm& form, const host::String& screenshotFile);
// Selects two files and saves a picture of the form ("<screenshot>-selection.png"), opens the
// focused one's name for editing (F2) and saves another ("<screenshot>-rename.png"), then cancels
// the edit; answers the files written.
std::vector<host::String> PhotographRename(host::TForm& form, const host::String& screenshotFile);
// Shows the sample pictures in thumbnail view, waits for their thumbnails and saves a picture of
// the form ("<screenshot>-thumbnails.png"); answers the file written.
std::vector<host::String> PhotographThumbnails(host::TForm& form, const host::String& screenshotFile);
// Checks a folder and a file of Documents, waits for their totals and saves a picture of the
// form ("<screenshot>-checks.png"), then clears the checks; answers the file written.
std::vector<host::String> PhotographCheckBoxes(host::TForm& form, const host::String& screenshotFile);
// Searches Documents for texts and pictures from the search pane, waits for the search's end
// and saves a picture of the form ("<screenshot>-search.png"); answers the file written.
std::vector<host::String> PhotographSearch(host::TForm& form, const host::String& screenshotFile);
// Drags a file of Documents from the list over the tree's Photos node and saves a picture of the
// form with the node's drop highlight ("<screenshot>-drag.png"); answers the file written.
std::vector<host::String> PhotographDrag(host::TForm& form, const host::String& screenshotFile);
// The check-box, address-list, rename, context-menu, folder-picker, thumbnail, search and drag
// pictures.
std::vector<host::String> PhotographExplorerExtras(host::TForm& form,
                                                   const host::String& screenshotFile);
