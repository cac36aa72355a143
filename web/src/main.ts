import './style.css';
import { installTheme } from './shell/theme';
import { hideSplashLater } from './shell/splash';

installTheme();
const splash = document.getElementById('splash');
if (splash) hideSplashLater(splash);
import { installAutomation } from './shell/automation';
installAutomation();
