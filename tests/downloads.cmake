# The downloads window.
