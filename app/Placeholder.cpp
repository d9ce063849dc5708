int tessarin_app_placeholder = 0;
