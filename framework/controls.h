// The dialog controls the program uses. Each wraps the window of one
// control of a dialog template (bound with DDX_Control). Calls may come
// from any thread; the window system serialises them.
#pragma once

#include "framework/window.h"

class CListBox : public CWnd {
public:
    // Adds a line (at the end of an unsorted list); returns its index or LB_ERR.
    int AddString(const char* text);
    void ResetContent();
    int GetCount() const;
    // The text of line index into text; returns its length or LB_ERR.
    int GetText(int index, CString& text) const;
};

class CComboBox : public CWnd {
public:
    // Adds an entry (at the end of an unsorted list); returns its index or CB_ERR.
    int AddString(const char* text);
    // Removes entry index; returns the number of entries left or CB_ERR.
    int DeleteString(UINT index);
    int GetCount() const;
    // Selects entry index (its text goes into the text field); an index out
    // of range clears the selection and returns CB_ERR.
    int SetCurSel(int index);
    // The selected entry's index or CB_ERR.
    int GetCurSel() const;
    // The text of entry index into text; returns its length or CB_ERR.
    int GetLBText(int index, CString& text) const;
};

class CEdit : public CWnd {};

class CButton : public CWnd {
public:
    // BST_UNCHECKED or BST_CHECKED.
    int GetCheck() const;
    void SetCheck(int check);
};
