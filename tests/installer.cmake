# Installation core and the mtzip commands over it.
