namespace miravon { void windowsPlaceholder() {} }
