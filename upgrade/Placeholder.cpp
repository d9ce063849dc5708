int tessarin_upgrade_placeholder = 0;
