// Window: filled in by the window layer.
