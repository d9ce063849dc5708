int tessarin_files_placeholder = 0;
