// Replaced by the downloads window.
