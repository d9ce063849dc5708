int tessarin_codeplug_placeholder = 0;
