#include "SafariScript.h"

namespace ondrake {

namespace {

// Windows are addressed by id (the frame handlers act on the front window); tabs by 1-based index
// plus the URL the caller saw there, which resolveTabIndex uses to find a tab that has moved.
const char *const kSource = R"APPLESCRIPT(
-- Ondrake's Safari protocol. Handlers are called by name with positional arguments.

on resolveTabIndex(w, idx, expectedURL)
	-- Addresses differ by case in their paths; text comparison ignores case unless told not to.
	considering case
		tell application id "com.apple.Safari"
			set n to count of tabs of w
			if n is 0 then return 0
			if idx >= 1 and idx <= n then
				try
					if expectedURL is "" then return idx
					if (URL of tab idx of w) is expectedURL then return idx
				end try
			end if
			if expectedURL is not "" then
				set allURLs to URL of every tab of w
				repeat with i from 1 to count of allURLs
					if item i of allURLs is expectedURL then return i
				end repeat
			end if
		end tell
	end considering
	return 0
end resolveTabIndex

on getSnapshot()
	if application id "com.apple.Safari" is not running then return {}
	set out to {}
	with timeout of 30 seconds
		tell application id "com.apple.Safari"
			repeat with w in (every window)
				-- Settings and bookmark windows have no tabs; their reads fail and they are left out.
				try
					set wid to id of w
					set widx to index of w
					set titles to name of every tab of w
					set urls to URL of every tab of w
					set cur to 0
					try
						set cur to index of current tab of w
					end try
					set end of out to {wid, widx, cur, titles, urls}
				end try
			end repeat
		end tell
	end timeout
	return out
end getSnapshot

on activateTab(wid, idx, expectedURL, shouldActivate)
	if application id "com.apple.Safari" is not running then return "NOT_RUNNING"
	with timeout of 20 seconds
		tell application id "com.apple.Safari"
			try
				set w to window id wid
				get id of w
			on error
				return "NO_WINDOW"
			end try
			set t to my resolveTabIndex(w, idx, expectedURL)
			if t is 0 then return "NO_TAB"
			set current tab of w to tab t of w
			try
				if miniaturized of w then set miniaturized of w to false
			end try
			set index of w to 1
			-- Activating raises every Safari window above the sidebar for a frame or two, so the
			-- caller asks for it only when Safari is not already active.
			if shouldActivate then activate
		end tell
	end timeout
	return "OK"
end activateTab

on closeTab(wid, idx, expectedURL)
	if application id "com.apple.Safari" is not running then return "NOT_RUNNING"
	with timeout of 20 seconds
		tell application id "com.apple.Safari"
			try
				set w to window id wid
				get id of w
			on error
				return "NO_WINDOW"
			end try
			set t to my resolveTabIndex(w, idx, expectedURL)
			if t is 0 then return "NO_TAB"
			close tab t of w
		end tell
	end timeout
	return "OK"
end closeTab

on closeTabs(wid, idxList, urlList)
	if application id "com.apple.Safari" is not running then return "NOT_RUNNING"
	with timeout of 30 seconds
		tell application id "com.apple.Safari"
			try
				set w to window id wid
				get id of w
			on error
				return "NO_WINDOW"
			end try
			-- The caller sends indices in descending order, so each close leaves the rest valid.
			repeat with i from 1 to count of idxList
				try
					set t to my resolveTabIndex(w, item i of idxList, item i of urlList)
					if t is not 0 then close tab t of w
				end try
			end repeat
		end tell
	end timeout
	return "OK"
end closeTabs

on moveTabs(wid, f, c, d, expectedURL, expectedCount)
	if application id "com.apple.Safari" is not running then return "NOT_RUNNING"
	with timeout of 20 seconds
		tell application id "com.apple.Safari"
			try
				set w to window id wid
				set n to count of tabs of w
			on error
				return "NO_WINDOW"
			end try
			if n is not expectedCount then return "NO_TAB"
			if f < 1 or (f + c - 1) > n then return "NO_TAB"
			if d < 1 or (d + c - 1) > n then return "NO_TAB"
			if expectedURL is not "" then
				try
					considering case
						if (URL of tab f of w) is not expectedURL then return "NO_TAB"
					end considering
				on error
					return "NO_TAB"
				end try
			end if
			-- A tab's index is read-only, but "move ... to before" works when a later tab goes
			-- before an earlier one; both directions are built from that form.
			if d < f then
				repeat with j from 1 to c
					move tab (f + j - 1) of w to before tab (d + j - 1) of w
				end repeat
			else if d > f then
				repeat with j from 1 to (d - f)
					move tab (f + c + j - 1) of w to before tab (f + j - 1) of w
				end repeat
			end if
		end tell
	end timeout
	return "OK"
end moveTabs

on reserveSpace(minLeft, maxRight)
	if application id "com.apple.Safari" is not running then return {}
	with timeout of 10 seconds
		tell application id "com.apple.Safari"
			if (count of windows) is 0 then return {}
			set w to window 1
			try
				if (count of tabs of w) is 0 then return {}
				set {l, t, r, b} to bounds of w
			on error
				return {}
			end try
			if l >= minLeft then return {}
			set newL to minLeft
			set newR to r + (minLeft - l)
			if newR > maxRight then set newR to maxRight
			if (newR - newL) < 480 then set newR to newL + 480
			set bounds of w to {newL, t, newR, b}
			-- Report the bounds the window really took, which may be rounded.
			set {nl, nt, nr, nb} to bounds of w
			return {id of w, l, t, r, b, nl, nt, nr, nb}
		end tell
	end timeout
end reserveSpace

on setLeftEdge(newLeft)
	if application id "com.apple.Safari" is not running then return {}
	with timeout of 10 seconds
		tell application id "com.apple.Safari"
			if (count of windows) is 0 then return {}
			set w to window 1
			try
				if (count of tabs of w) is 0 then return {}
				set {l, t, r, b} to bounds of w
			on error
				return {}
			end try
			if l = newLeft then return {}
			set targetLeft to newLeft
			if (r - targetLeft) < 480 then set targetLeft to r - 480
			set bounds of w to {targetLeft, t, r, b}
			set {nl, nt, nr, nb} to bounds of w
			return {id of w, l, t, r, b, nl, nt, nr, nb}
		end tell
	end timeout
end setLeftEdge

on restoreWindowBounds(wid, el, et, er, eb, ol, ot, orr, ob)
	if application id "com.apple.Safari" is not running then return "NOT_RUNNING"
	with timeout of 10 seconds
		tell application id "com.apple.Safari"
			try
				set w to window id wid
				set {l, t, r, b} to bounds of w
			on error
				return "NO_WINDOW"
			end try
			-- Only a window still exactly where it was left goes back; the user's own arrangement wins.
			if l = el and t = et and r = er and b = eb then
				set bounds of w to {ol, ot, orr, ob}
			end if
		end tell
	end timeout
	return "OK"
end restoreWindowBounds

on isWindowZoomed(wid)
	if application id "com.apple.Safari" is not running then return -1
	with timeout of 5 seconds
		tell application id "com.apple.Safari"
			try
				if zoomed of window id wid then return 1
				return 0
			on error
				return -1
			end try
		end tell
	end timeout
end isWindowZoomed

on openTab(wid, targetURL)
	if application id "com.apple.Safari" is not running then return "NOT_RUNNING"
	with timeout of 20 seconds
		tell application id "com.apple.Safari"
			if wid is 0 then
				if targetURL is "" then
					make new document
				else
					make new document with properties {URL:targetURL}
				end if
				return "OK"
			end if
			try
				set w to window id wid
				get id of w
			on error
				return "NO_WINDOW"
			end try
			if targetURL is "" then
				set newTab to make new tab at end of tabs of w
			else
				set newTab to make new tab at end of tabs of w with properties {URL:targetURL}
			end if
			-- A scripted new tab does not take focus the way the keyboard command does.
			set current tab of w to newTab
		end tell
	end timeout
	return "OK"
end openTab

on addReadingListItem(targetURL, itemTitle)
	if application id "com.apple.Safari" is not running then return "NOT_RUNNING"
	if targetURL is "" then return "NO_TAB"
	with timeout of 20 seconds
		try
			tell application id "com.apple.Safari"
				if itemTitle is "" then
					add reading list item targetURL
				else
					add reading list item targetURL with title itemTitle
				end if
			end tell
		on error
			return "NO_TAB"
		end try
	end timeout
	return "OK"
end addReadingListItem
)APPLESCRIPT";

}  // namespace

const QString &safariScriptSource() {
    static const QString source = QString::fromUtf8(kSource);
    return source;
}

}  // namespace ondrake
